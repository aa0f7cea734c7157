<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="catalogue.xsl"/>
  <xsl:param name="sid" select="''"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="'Component Marketplace'"/>
      <xsl:with-param name="section" select="'Marketplace'"/>
      <xsl:with-param name="sid" select="$sid"/>
      <xsl:with-param name="lead" select="concat(count(/components/component), ' Java components by category.')"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <form class="search" action="/vantrel/markettab/search.jsp" method="get">
      <input type="hidden" name="sid" value="{$sid}"/>
      <input type="text" name="q" placeholder="for example logging" aria-label="Search text"/>
      <xsl:text> </xsl:text><button type="submit">Search</button>
    </form>
    <xsl:for-each select="/components/component/categories/category[generate-id() = generate-id(key('by-primary', primaryCategory)[1])]">
      <xsl:sort select="primaryCategory"/>
      <xsl:variable name="primary" select="primaryCategory"/>
      <h2><a href="/components/subcategory.jsp?framework=Java&amp;category={$primary}&amp;sid={$sid}"><xsl:value-of select="$primary"/></a>
        <span class="count"> (<xsl:value-of select="count(key('by-primary', $primary))"/>)</span></h2>
      <p>
        <xsl:for-each select="key('by-primary', $primary)[not(secondaryCategory = preceding::category[primaryCategory = $primary]/secondaryCategory)]">
          <xsl:sort select="secondaryCategory"/>
          <xsl:if test="position() &gt; 1"> · </xsl:if>
          <a href="/components/productlist.jsp?framework=Java&amp;category={$primary}&amp;subcategory={secondaryCategory}&amp;sid={$sid}"><xsl:value-of select="secondaryCategory"/></a>
        </xsl:for-each>
      </p>
    </xsl:for-each>
  </xsl:template>
</xsl:stylesheet>
