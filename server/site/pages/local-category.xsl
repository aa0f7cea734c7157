<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="catalogue.xsl"/>
  <xsl:param name="cat" select="''"/>
  <xsl:variable name="placements" select="/components/component/categories/category[primaryCategory = $cat]"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="$cat"/>
      <xsl:with-param name="section" select="'Local'"/>
      <xsl:with-param name="lead">
        <xsl:choose>
          <xsl:when test="$cat = 'Unidentified archives' and not($placements)">Found on this machine, not in the catalogue.</xsl:when>
          <xsl:otherwise>Catalogued components of this category, by subcategory.</xsl:otherwise>
        </xsl:choose>
      </xsl:with-param>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <xsl:choose>
      <!-- The client's own category for what it found without a catalogue entry. -->
      <xsl:when test="$cat = 'Unidentified archives' and not($placements)">
        <p class="notice">Archives and class folders found on this machine whose classes the catalogue does not
          know, by what names them: their pom.properties, their manifest, their file name, or nothing at all.
          Each one's page tells what is known of it.</p>
      </xsl:when>
      <xsl:when test="not($placements)">
        <p class="notice">The catalogue has no category "<xsl:value-of select="$cat"/>".</p>
      </xsl:when>
    </xsl:choose>
    <xsl:for-each select="$placements[not(secondaryCategory = preceding::category[primaryCategory = $cat]/secondaryCategory)]">
      <xsl:sort select="secondaryCategory"/>
      <xsl:variable name="secondary" select="secondaryCategory"/>
      <h2><a href="/vantrel/localtab/productlist.jsp?cat={$cat}&amp;subcat={$secondary}"><xsl:value-of select="$secondary"/></a></h2>
      <xsl:call-template name="component-table">
        <xsl:with-param name="components" select="$placements[secondaryCategory = $secondary]/../.."/>
        <xsl:with-param name="link-prefix" select="'/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/xsl/rm/component-overview.xsl&amp;xmlpage=components/vendors/components.bnd&amp;scid='"/>
      </xsl:call-template>
    </xsl:for-each>
  </xsl:template>
</xsl:stylesheet>
