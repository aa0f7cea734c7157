<?xml version="1.0" encoding="UTF-8"?>
<!-- A Marketplace category: its subcategories with their components. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="catalogue.xsl"/>
  <xsl:param name="sid" select="''"/>
  <xsl:param name="category" select="''"/>
  <xsl:variable name="placements" select="/components/component/categories/category[primaryCategory = $category]"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="$category"/>
      <xsl:with-param name="section" select="'Marketplace'"/>
      <xsl:with-param name="sid" select="$sid"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <xsl:if test="not($placements)">
      <p class="notice">The Marketplace has no category "<xsl:value-of select="$category"/>".</p>
    </xsl:if>
    <xsl:for-each select="$placements[not(secondaryCategory = preceding::category[primaryCategory = $category]/secondaryCategory)]">
      <xsl:sort select="secondaryCategory"/>
      <xsl:variable name="secondary" select="secondaryCategory"/>
      <h2><a href="/components/productlist.jsp?framework=Java&amp;category={$category}&amp;subcategory={$secondary}&amp;sid={$sid}"><xsl:value-of select="$secondary"/></a></h2>
      <xsl:call-template name="component-table">
        <xsl:with-param name="components" select="$placements[secondaryCategory = $secondary]/../.."/>
        <xsl:with-param name="link-prefix" select="'/components/view.jsp?prodid='"/>
        <xsl:with-param name="link-suffix" select="concat('&amp;sid=', $sid)"/>
      </xsl:call-template>
    </xsl:for-each>
  </xsl:template>
</xsl:stylesheet>
